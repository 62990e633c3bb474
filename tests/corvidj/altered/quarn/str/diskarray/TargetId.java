package quarn.str.diskarray;

// TargetId whose failAt-th construction fails.
public class TargetId {
  public static int failAt = -1;
  public static int made;

  public int ctrl_flag;
  public int target_id_mode;
  public TargetConfig[] target_config;

  public TargetId() {
    if (++made == failAt) throw new IllegalStateException("TargetId " + made);
  }
}
